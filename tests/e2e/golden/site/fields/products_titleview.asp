<p><%= Server.HTMLEncode("products.title") %></p>
