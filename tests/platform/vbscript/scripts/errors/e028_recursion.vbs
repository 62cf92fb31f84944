' expect-error: 28 line 3: Out of stack space
Function Down(n)
    Down = Down(n + 1)
End Function
Down 1
