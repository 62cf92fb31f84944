' expect-error: 506 line 2: Class not defined: 'Missing'
Set x = New Missing
