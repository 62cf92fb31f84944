<%

Function Greeting(name)
    Greeting = "Hello, " & name
End Function
%>
