' expect-error: 429 line 2: ActiveX component can't create object
Set fso = CreateObject("Scripting.FileSystemObject")
