<p><%= Server.HTMLEncode("customers.city") %></p>
