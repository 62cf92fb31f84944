' Scripting.Dictionary through late binding: default member, keys of different kinds, errors.
Dim d : Set d = CreateObject("Scripting.Dictionary")
Test.Equal TypeName(d), "Dictionary", "TypeName"
d.Add 1, "number"
d.Add "1", "text"
Test.Equal d.Count, 2, "1 and ""1"" are different keys"
Test.Equal d(1), "number", "the number key"
Test.Equal d("1"), "text", "the string key"
Test.IsTrue d.Exists(CDbl(1)), "numbers match by value across subtypes"

Dim missing : missing = d("nope")
Test.IsTrue IsEmpty(missing), "reading a missing key gives Empty"
Test.IsTrue d.Exists("nope"), "... and adds the key"
d.Remove "nope"

d("k") = "v"
d.Item("k") = "w"
Test.Equal d("k"), "w", "assignment replaces"
d.Key("k") = "renamed"
Test.IsTrue d.Exists("renamed") And Not d.Exists("k"), "Key renames"

Dim inner : Set inner = CreateObject("Scripting.Dictionary")
Set d("object") = inner
Test.IsTrue d("object") Is inner, "Set through the default member"

Dim k, list : list = ""
For Each k In d
    list = list & k & ";"
Next
Test.Equal list, "1;1;renamed;object;", "For Each walks the keys in order"
Dim items : items = d.Items
Test.Equal UBound(items), 3, "Items"
Test.Equal items(0), "number", "Items in order"
Test.Equal Join(d.Keys, ","), "1,1,renamed,object", "Keys"

On Error Resume Next
d.Add 1, "again"
Test.Equal Err.Number, 457, "a duplicate key"
Test.Equal Err.Description, "This key is already associated with an element of this collection", "its text"
Err.Clear
d.Remove "absent"
Test.Equal Err.Number, 32811, "removing a missing key"
Err.Clear
d.CompareMode = vbTextCompare
Test.Equal Err.Number, 5, "CompareMode cannot change once items exist"
On Error GoTo 0

Dim t : Set t = CreateObject("Scripting.Dictionary")
t.CompareMode = vbTextCompare
t.Add "Key", 1
Test.IsTrue t.Exists("KEY"), "text compare ignores case"
t.RemoveAll
Test.Equal t.Count, 0, "RemoveAll"

' A key variable looked up, then appended to in place, is looked up by its new text.
Dim grown : Set grown = CreateObject("Scripting.Dictionary")
grown.Add "abc", 1
Dim probe : probe = LCase("AB") ' a string of its own, which the append changes in place
Test.IsTrue Not grown.Exists(probe), "before the append"
probe = probe & "c"
Test.IsTrue grown.Exists(probe), "after the append"
Test.Equal grown(probe), 1, "its item"
t.Add "abc", 2
probe = UCase("ab")
Test.IsTrue Not t.Exists(probe), "text compare, before the append"
probe = probe & "C"
Test.IsTrue t.Exists(probe), "text compare, after the append"
