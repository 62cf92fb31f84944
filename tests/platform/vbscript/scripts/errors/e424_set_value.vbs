' expect-error: 424 line 2: Object required
Set x = 5
