' Classes: fields, methods, Property Get/Let/Set, Public Default, Private members,
' Class_Initialize and Class_Terminate, New, Me.
Dim log
Class Account
    Private mBalance
    Public Owner
    Private mParent

    Private Sub Class_Initialize()
        mBalance = 0
        log = log & "init;"
    End Sub

    Private Sub Class_Terminate()
        log = log & "term;"
    End Sub

    Public Default Property Get Balance()
        Balance = mBalance
    End Property

    Public Property Let Balance(value)
        If value < 0 Then Err.Raise 5
        mBalance = value
    End Property

    Public Property Get Parent()
        Set Parent = mParent
    End Property

    Public Property Set Parent(value)
        Set mParent = value
    End Property

    Public Sub Deposit(amount)
        Balance = Balance + amount
    End Sub

    Public Function Describe()
        Describe = Owner & ":" & Me.Balance & ":" & Helper()
    End Function

    Private Function Helper()
        Helper = "private"
    End Function

    Public Function Twice()
        Twice = Me.Helper() & Me.Helper()
    End Function
End Class

log = ""
Dim acct
Set acct = New Account
Test.Equal log, "init;", "Class_Initialize runs on New"
acct.Owner = "Ann"
acct.Deposit 10
acct.Deposit 5
Test.Equal acct.Balance, 15, "Property Get"
Test.Equal acct + 0, 15, "default property"
acct.Balance = 20
Test.Equal acct.Describe(), "Ann:20:private", "methods, Me and private calls"
Test.Equal acct.Twice(), "privateprivate", "Me may reach private members"
Set acct.Parent = Test
Test.IsTrue acct.Parent Is Test, "Property Set and Get of an object"
Test.Equal TypeName(acct), "Account", "TypeName of a script object"
Test.Equal IsObject(acct), True, "IsObject"

Dim other : Set other = acct
Test.IsTrue other Is acct, "two references, one object"
Set acct = Nothing
Test.Equal log, "init;", "still referenced"
Set other = Nothing
Test.Equal log, "init;term;", "Class_Terminate runs when the last reference goes"

Sub MakeAndDrop()
    Dim temp
    Set temp = New Account
End Sub
log = ""
MakeAndDrop
Test.Equal log, "init;term;", "a local object ends with its procedure"

Class Node
    Public Value, NextNode
    Public Function Length()
        If NextNode Is Nothing Then
            Length = 1
        Else
            Length = 1 + NextNode.Length()
        End If
    End Function
    Private Sub Class_Initialize()
        Set NextNode = Nothing
    End Sub
End Class
Dim head, n, k
Set head = New Node
Set n = head
For k = 1 To 4
    Set n.NextNode = New Node
    Set n = n.NextNode
Next
Test.Equal head.Length(), 5, "recursive method through fields"

Class Matrix
    Public Cells(2)
    Public Sub Fill()
        Cells(0) = "a" : Cells(2) = "c"
    End Sub
End Class
Dim mx : Set mx = New Matrix
mx.Fill
Test.Equal mx.Cells(2), "c", "array field indexed through the object"
mx.Cells(1) = "b"
Test.Equal mx.Cells(1), "b", "array field assigned through the object"

Class WithDefaultFunction
    Public Default Function Item(i)
        Item = i * 2
    End Function
End Class
Dim wd : Set wd = New WithDefaultFunction
Test.Equal wd(21), 42, "default function with an argument"
