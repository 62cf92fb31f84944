</div>
<div class="qv-footer">
 <span class="qv-export-note">Lists can be exported as CSV.</span>
<span class="qv-generator">Generated with Quorvane</span>
</div>
</body>
</html>
