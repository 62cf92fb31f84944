' VBScript.RegExp: Execute, the match objects, Replace and pattern errors.
Dim re : Set re = CreateObject("VBScript.RegExp")
Test.Equal TypeName(re), "IRegExp2", "TypeName"
re.Pattern = "(\w+)@(\w+)\.com"
re.Global = True
re.IgnoreCase = True
Dim matches : Set matches = re.Execute("ann@site.com, BOB@Host.COM")
Test.Equal matches.Count, 2, "two matches"
Dim m, found : found = ""
For Each m In matches
    found = found & m.FirstIndex & ":" & m & "(" & m.SubMatches(1) & ");"
Next
Test.Equal found, "0:ann@site.com(site);14:BOB@Host.COM(Host);", "For Each, default value and SubMatches"
Test.Equal matches(1).Length, 12, "Length"
Test.Equal re.Replace("ann@site.com", "$2 <$1>"), "site <ann>", "Replace with groups"

re.Pattern = "^\d+$"
re.MultiLine = True
Test.Equal re.Execute("12" & vbCrLf & "x" & vbLf & "34").Count, 2, "MultiLine anchors at line ends"
re.MultiLine = False
Test.Equal re.Test("12" & vbLf & "34"), False, "without MultiLine $ is the end only"

re.Pattern = ""
Test.Equal re.Replace("abc", "-"), "-a-b-c-", "an empty pattern matches everywhere"

On Error Resume Next
re.Pattern = "(unclosed"
re.Test "x"
Test.Equal Err.Number, 5020, "an unclosed group"
Err.Clear
re.Pattern = "(?<name>x)"
re.Test "x"
Test.Equal Err.Number, 5017, "syntax the dialect does not have"
Test.Equal Err.Description, "Syntax error in regular expression", "its text"
Err.Clear
Dim none : Set none = matches.Item(5)
Test.Equal Err.Number, 5, "an index past the matches"

' A class of the script named RegExp may be declared, but New RegExp still makes the language's
' own object; once it made the script's class.
Class RegExp
    Public Pattern
    Public Function Test(text)
        Test = "script class"
    End Function
End Class
Dim builtin : Set builtin = New RegExp
builtin.Pattern = "^a+$"
Test.Equal TypeName(builtin), "IRegExp2", "New RegExp beside Class RegExp"
Test.Equal builtin.Test("aaa"), True, "and it matches"
