' Output through a host method taking any number of arguments.
Test.Echo "one", 2, True
Test.Echo
Test.Echo Null, "after null"
Dim i
For i = 1 To 3 : Test.Echo "line", i : Next
