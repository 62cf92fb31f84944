' VBScript.RegExp: a global Replace and Execute over a subject of n characters; the time per
' character should not grow with the subject.
Function Main(n)
    Dim re, subject, replaced, matches
    subject = Replace(Space(n \ 8), " ", "word123 ")
    Set re = CreateObject("VBScript.RegExp")
    re.Pattern = "\d+"
    re.Global = True
    replaced = re.Replace(subject, "#")
    Set matches = re.Execute(subject)
    Main = Len(replaced) + matches.Count
End Function
