<p><%= Server.HTMLEncode("customers.id") %></p>
