' Colons, line continuations, comments with ' and Rem, bracketed identifiers, letter case.
Dim a, b : a = 1 : b = 2
Test.Equal a + b, 3, "colon separators"
Dim total
total = 1 + _
        2 + _
        3
Test.Equal total, 6, "line continuation"
Rem a comment line
a = 5 ' trailing comment
a = 6 : Rem comment after a colon
Test.Equal a, 6, "comments"
Dim [my var], [Dim]
[my var] = "spaces"
[Dim] = "keyword"
Test.Equal [my var] & [Dim], "spaceskeyword", "bracketed identifiers"
DIM Mixed
mixed = "case"
Test.Equal MIXED, "case", "names ignore letter case"
Dim remark : remark = "not a comment"
Test.Equal remark, "not a comment", "names starting with Rem"
Dim s : s = "it's ""quoted"" ' not a comment"
Test.Equal Len(s), 29, "quotes inside strings"
Test.Equal "a" & _
    "b", "ab", "continuation inside an argument list"
Dim step, property, default, error
step = 1 : property = 2 : default = 3 : error = 4
Test.Equal step + property + default + error, 10, "words that are keywords only in places"
