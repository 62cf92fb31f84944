<p><%= Server.HTMLEncode("big_lines.line_no") %></p>
