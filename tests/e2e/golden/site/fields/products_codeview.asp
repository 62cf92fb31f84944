<p><%= Server.HTMLEncode("products.code") %></p>
