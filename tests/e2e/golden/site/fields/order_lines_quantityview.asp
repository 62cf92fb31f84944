<p><%= Server.HTMLEncode("order_lines.quantity") %></p>
