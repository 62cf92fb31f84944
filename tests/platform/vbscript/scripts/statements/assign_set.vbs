' Let and Set assignment, Let of objects through their default member.
Dim x, o, r
x = 5
Test.Equal x, 5, "Let"
Let x = 6
Test.Equal x, 6, "explicit Let"
Set o = Test.Items
Test.Equal TypeName(o), "HostCollection", "Set keeps the object"
Set o = Nothing
Test.IsTrue o Is Nothing, "Set Nothing"
Set r = Test.Tables("Orders")
r.Value = "stored"
x = r
Test.Equal x, "stored", "Let of an object takes its default value"
Set x = r
Test.IsTrue x Is r, "Set of the same object"
x = Empty
Test.Equal IsEmpty(x), True, "Empty"
x = Null
Test.Equal IsNull(x), True, "Null"
