<% If IsEmpty(QV_SITE_NAME) Then Response.Status = "404 Not Found": Response.End %></div>
<div class="qv-footer">
<span class="qv-generator">Generated with Quorvane</span>
</div>
</body>
</html>
