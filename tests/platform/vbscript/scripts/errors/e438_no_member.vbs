' expect-error: 438 line 2: Object doesn't support this property or method
x = Test.NoSuchProperty
