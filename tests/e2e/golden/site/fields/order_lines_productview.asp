<p><%= Server.HTMLEncode("order_lines.product") %></p>
