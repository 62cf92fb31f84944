customers.name
