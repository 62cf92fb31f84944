' expect-error: 451 line 2: Object not a collection
For Each x In 5
Next
