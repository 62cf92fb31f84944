' Is, Nothing, object identity and object expressions.
Class Thing
End Class
Dim a, b, c
Set a = New Thing
Set b = a
Set c = New Thing
Test.IsTrue a Is b, "same object"
Test.Equal a Is c, False, "different objects"
Test.Equal a Is Nothing, False, "not Nothing"
Set a = Nothing
Test.IsTrue a Is Nothing, "Nothing Is Nothing"
Test.IsTrue Test.Self Is Test, "host objects compare by identity"
Test.IsTrue Test.Self.Self Is Test.Self, "member chains"
Test.Equal IsObject(Nothing), True, "Nothing is an object"
Dim plain
Test.Equal IsObject(plain), False, "Empty is not"
