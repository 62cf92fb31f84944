' expect-error: 35 line 2: Sub or Function not defined
NoSuchSub 1, 2
