' expect-error: 501 line 2: Illegal assignment
Const C = 1 : C = 2
