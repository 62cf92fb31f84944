' expect-error: 1000 line 2: Custom failure
Sub Fail() : Err.Raise 1000, "Here", "Custom failure" : End Sub
Fail
