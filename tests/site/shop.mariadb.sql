-- The demo shop in MariaDB's dialect, with the demo's rows.
CREATE TABLE customers (
    customer_id INT AUTO_INCREMENT PRIMARY KEY,
    name VARCHAR(60) NOT NULL,
    email VARCHAR(100),
    city VARCHAR(40),
    joined DATE,
    vip BOOLEAN NOT NULL DEFAULT 0,
    notes TEXT
);
CREATE TABLE products (
    product_id INT AUTO_INCREMENT PRIMARY KEY,
    name VARCHAR(60) NOT NULL,
    price DECIMAL(10,2) NOT NULL,
    stock INTEGER NOT NULL DEFAULT 0,
    weight_kg DOUBLE,
    discontinued BOOLEAN NOT NULL DEFAULT 0,
    description TEXT,
    picture LONGBLOB
);
CREATE TABLE orders (
    order_id INT AUTO_INCREMENT PRIMARY KEY,
    customer_id INTEGER NOT NULL REFERENCES customers (customer_id),
    order_date DATE NOT NULL,
    shipped BOOLEAN NOT NULL DEFAULT 0,
    comment TEXT
);
CREATE TABLE order_lines (
    order_id INTEGER NOT NULL REFERENCES orders (order_id) ON DELETE CASCADE,
    line_no INTEGER NOT NULL,
    product_id INTEGER NOT NULL REFERENCES products (product_id),
    quantity INTEGER NOT NULL,
    unit_price DECIMAL(10,2) NOT NULL,
    PRIMARY KEY (order_id, line_no)
);
CREATE VIEW order_totals AS
    SELECT o.order_id AS order_id, c.name AS customer, o.order_date AS order_date,
           SUM(l.quantity * l.unit_price) AS total
    FROM orders o
    JOIN customers c ON c.customer_id = o.customer_id
    LEFT JOIN order_lines l ON l.order_id = o.order_id
    GROUP BY o.order_id, c.name, o.order_date;
