SELECT TOP 10 o.[id], "q""name", N'it's' /* comment */ FROM dbo.orders o -- tail
WHERE x <> 0x1F