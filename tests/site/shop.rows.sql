-- The shop's rows, shared by the PostgreSQL and MariaDB scripts (read after shop.<kind>.sql).
INSERT INTO customers (name, email, city, joined, vip, notes) VALUES
    ('Ada Fernsby', 'ada@example.com', 'Lisbon', '2023-02-14', TRUE, 'Prefers delivery before noon.'),
    ('Bruno Okafor', 'bruno@example.com', 'Lagos', '2023-06-01', FALSE, NULL),
    ('Chen Wei', NULL, 'Taipei', '2024-01-20', FALSE, 'Pays by invoice.'),
    ('Dora "Dee" O''Neill', 'dora@example.com', 'Cork', '2024-03-09', TRUE, 'Quotes & ampersands <test>.');
INSERT INTO products (name, price, stock, weight_kg, discontinued, description) VALUES
    ('Green tea, 100 g', 6.50, 120, 0.1, FALSE, 'Loose leaves from Shizuoka.'),
    ('Teapot', 34.90, 8, 1.25, FALSE, 'Cast iron, 0.8 litres.'),
    ('Cup set', 19.00, 25, 0.6, FALSE, NULL),
    ('Sugar cubes', 2.20, 0, 0.5, TRUE, 'No longer sold.'),
    ('Honey, 250 g', 7.80, 40, 0.3, FALSE, 'From a local beekeeper.');
INSERT INTO orders (customer_id, order_date, shipped, comment) VALUES
    (1, '2024-04-02', TRUE, NULL),
    (2, '2024-04-15', TRUE, 'Gift wrap, please.'),
    (1, '2024-05-03', FALSE, NULL),
    (4, '2024-05-20', FALSE, 'Call before delivery.');
INSERT INTO order_lines (order_id, line_no, product_id, quantity, unit_price) VALUES
    (1, 1, 1, 2, 6.50),
    (1, 2, 2, 1, 34.90),
    (2, 1, 3, 1, 19.00),
    (3, 1, 5, 3, 7.80),
    (3, 2, 1, 1, 6.50),
    (4, 1, 2, 1, 34.90),
    (4, 2, 3, 2, 19.00);
