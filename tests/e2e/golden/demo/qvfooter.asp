</div>
<div class="qv-footer">
<span class="qv-generator">Generated with Quorvane</span>
</div>
</body>
</html>
