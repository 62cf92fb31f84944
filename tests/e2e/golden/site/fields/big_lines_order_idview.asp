<p><%= Server.HTMLEncode("big_lines.order_id") %></p>
