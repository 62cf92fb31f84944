' expect-error: 91 line 3: Object variable not set
Dim o : Set o = Nothing
x = o(1)
