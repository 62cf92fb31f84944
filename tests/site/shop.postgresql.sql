-- The demo shop in PostgreSQL's dialect, with the demo's rows.
CREATE TABLE customers (
    customer_id SERIAL PRIMARY KEY,
    name VARCHAR(60) NOT NULL,
    email VARCHAR(100),
    city VARCHAR(40),
    joined DATE,
    vip BOOLEAN NOT NULL DEFAULT FALSE,
    notes TEXT
);
CREATE TABLE products (
    product_id SERIAL PRIMARY KEY,
    name VARCHAR(60) NOT NULL,
    price NUMERIC(10,2) NOT NULL,
    stock INTEGER NOT NULL DEFAULT 0,
    weight_kg DOUBLE PRECISION,
    discontinued BOOLEAN NOT NULL DEFAULT FALSE,
    description TEXT,
    picture BYTEA
);
CREATE TABLE orders (
    order_id SERIAL PRIMARY KEY,
    customer_id INTEGER NOT NULL REFERENCES customers (customer_id),
    order_date DATE NOT NULL,
    shipped BOOLEAN NOT NULL DEFAULT FALSE,
    comment TEXT
);
CREATE TABLE order_lines (
    order_id INTEGER NOT NULL REFERENCES orders (order_id) ON DELETE CASCADE,
    line_no INTEGER NOT NULL,
    product_id INTEGER NOT NULL REFERENCES products (product_id),
    quantity INTEGER NOT NULL,
    unit_price NUMERIC(10,2) NOT NULL,
    PRIMARY KEY (order_id, line_no)
);
CREATE VIEW order_totals AS
    SELECT o.order_id AS order_id, c.name AS customer, o.order_date AS order_date,
           SUM(l.quantity * l.unit_price) AS total
    FROM orders o
    JOIN customers c ON c.customer_id = o.customer_id
    LEFT JOIN order_lines l ON l.order_id = o.order_id
    GROUP BY o.order_id, c.name, o.order_date;
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
