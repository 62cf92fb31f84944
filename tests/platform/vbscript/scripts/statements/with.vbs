' With blocks on host objects and script objects, nested.
Class Box
    Public Width, Height, Inner
End Class
Dim b : Set b = New Box
With b
    .Width = 3
    .Height = 4
    Test.Equal .Width * .Height, 12, "With members"
    Set .Inner = New Box
    With .Inner
        .Width = 7
    End With
    Test.Equal .Inner.Width, 7, "nested With"
End With
Test.Equal b.Width, 3, "assignments reached the object"

With Test.Tables("Orders")
    Test.Equal .Name, "Orders", "With on a host object"
End With

Function Measure(x)
    With x
        Measure = .Width + .Height
    End With
End Function
Test.Equal Measure(b), 7, "With in a procedure"

With Test
    .Equal 1, 1, "calls inside With"
End With
