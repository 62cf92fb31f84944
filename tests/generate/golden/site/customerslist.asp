<html><head><title>customers</title><meta name="generator" content="Quorvane v6.0.0.0" />
</head>
<body>
<p>16 Fields</p>
</body></html>
