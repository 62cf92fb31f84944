<p><%= Server.HTMLEncode("order_lines.order_id") %></p>
