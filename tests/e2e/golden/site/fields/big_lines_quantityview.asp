<p><%= Server.HTMLEncode("big_lines.quantity") %></p>
