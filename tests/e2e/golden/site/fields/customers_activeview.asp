<p><%= Server.HTMLEncode("customers.active") %></p>
