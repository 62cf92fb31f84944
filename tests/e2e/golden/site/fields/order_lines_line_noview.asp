<p><%= Server.HTMLEncode("order_lines.line_no") %></p>
