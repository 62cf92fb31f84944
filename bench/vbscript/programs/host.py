# Members of a host object in a loop: the Python class has the same members as the C++ Table the
# VBScript program calls (properties are getters, as on the C++ side).
from timing import measure


class Table:
    def __init__(self):
        self._name = "Orders"
        self._fields = ["OrderID", "CustomerID", "OrderDate", "ShipName", "Freight"]
        self._hits = 0

    @property
    def Name(self):
        return self._name

    @property
    def FieldCount(self):
        return len(self._fields)

    def Fields(self, index):
        return self._fields[index]

    @property
    def Hits(self):
        return self._hits

    @Hits.setter
    def Hits(self, value):
        self._hits = value


table = Table()


def main(n):
    table.Hits = 0
    total = 0
    count = table.FieldCount
    for i in range(1, n + 1):
        total = total + len(table.Name) + len(table.Fields(i % count))
        table.Hits = table.Hits + 1
    return total + table.Hits


measure(main)
