<p><%= Server.HTMLEncode("customers.name") %></p>
