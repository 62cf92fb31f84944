' Host objects: calls by name, properties, default members, properties without arguments
' applied with arguments, optional arguments, by-reference arguments written back.
Test.Counter = 7
Test.Equal Test.Counter, 7, "property Let and Get"
Test.Counter = Test.Counter + 1
Test.Equal Test.Counter, 8, "read and write in one statement"
Test.Equal Test.Items.Count, 3, "member chain"
Test.Equal Test.Items(0), 10, "default member with an index"
Test.Equal Test.Items.Item(1), "twenty", "the default member by name"
Test.Equal Test.Tables("Orders").Name, "Orders", "a property without arguments applied with one"
Test.Equal Test.Tables.Item("Customers").Name, "Customers", "the same through Item"
Dim t : Set t = Test.Tables
Test.Equal t("orders").Name, "Orders", "a variable holding a collection, indexed"
t("Orders").Value = "assigned"
Test.Equal t("Orders").Value, "assigned", "assignment through two default members"
Test.Equal Test.Sum(1), CDbl(1), "optional arguments left out"
Test.Equal Test.Sum(1, 2, 3), CDbl(6), "all arguments"
Test.Equal Test.Sum(1, , 3), CDbl(4), "an omitted middle argument"

Dim a, b
a = "first" : b = "second"
Test.Swap a, b
Test.Equal a & b, "secondfirst", "by-reference arguments written back"
Test.Swap (a), b
Test.Equal a & b, "secondsecond", "a parenthesised argument goes by value"
Dim n : n = 1
Test.AddOne n
Test.AddOne n
Test.Equal n, 3, "a host method changing a variable"
Dim arr(1) : arr(0) = 5
Test.AddOne arr(0)
Test.Equal arr(0), 6, "an array element goes by reference"
Test.AddOne (arr(0))
Test.Equal arr(0), 6, "a parenthesised array element goes by value"

Dim i, calls : calls = 0
For i = 1 To 100
    calls = calls + Test.Items.Count
Next
Test.Equal calls, 300, "a call site called repeatedly"
Dim objs : objs = Array(Test.Items, Test.Tables, Test.Items)
calls = 0
For Each i In objs
    calls = calls + i.Count
Next
Test.Equal calls, 8, "one call site over objects of the same class"
