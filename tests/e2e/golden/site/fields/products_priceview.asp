<p><%= Server.HTMLEncode("products.price") %></p>
