x = 1 => 2 Or 1 =< 2 Or 1 >< 2
x = 1e-400 + 1e-94938484
x = &h01or&h02
x = "x" &hi
S.5
obj.Check.5
x = .Missing
With 5 : End With
Execute "a = 1" & vbCrLf & "b = 1 / 0"
x = Join(Array(1, Null))
x = CByte(True) & CDate("1")
