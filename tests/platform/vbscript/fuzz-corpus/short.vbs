If a Then b = 1 Else c = 2
With x : .y = (1 + -2) ^ 3 & "s""t" : End With
ReDim Preserve a(1, 2)
