' expect-error: 424 line 3: Object required
Dim v : v = 5
x = v.Name
