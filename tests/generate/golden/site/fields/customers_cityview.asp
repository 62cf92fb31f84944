customers.city
