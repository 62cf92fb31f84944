-- The shared test schema, MariaDB edition. Each statement ends with ";" at the end of a line.
CREATE TABLE customers (
    id INT AUTO_INCREMENT PRIMARY KEY,
    name VARCHAR(50) NOT NULL,
    email VARCHAR(100) UNIQUE,
    city VARCHAR(40),
    balance DECIMAL(10, 2),
    rating FLOAT,
    score DOUBLE,
    active BOOLEAN NOT NULL DEFAULT TRUE,
    born DATE,
    created DATETIME,
    wakes TIME,
    notes TEXT,
    photo BLOB,
    code CHAR(5),
    small_count SMALLINT,
    big_count BIGINT,
    INDEX customers_city (city)
);
CREATE TABLE order_lines (
    order_id INT NOT NULL,
    line_no INT NOT NULL,
    product VARCHAR(30) NOT NULL,
    quantity INT NOT NULL,
    PRIMARY KEY (order_id, line_no),
    CONSTRAINT order_lines_product UNIQUE (order_id, product),
    INDEX order_lines_quantity (quantity)
);
CREATE TABLE `orderXlines` (
    other_column INT
);
CREATE TABLE `Order Details` (
    `Order ID` INT PRIMARY KEY,
    `Unit Price` DECIMAL(10, 2),
    `MixedCase` VARCHAR(10)
);
CREATE TABLE `quote``table` (
    `it's` INT,
    `quote``column` VARCHAR(10),
    `naïve ✓` VARCHAR(10)
);
CREATE TABLE identity_keys (
    id INT AUTO_INCREMENT PRIMARY KEY,
    label VARCHAR(10)
);
CREATE VIEW customer_names AS SELECT id, name AS customer_name FROM customers;
CREATE SEQUENCE counter_seq;
INSERT INTO customers (name, email, city, balance, rating, score, active, born, created, wakes, notes, photo, code, small_count, big_count)
    VALUES ('Ann', 'ann@example.com', 'Oslo', 12.5, 1.5, 2.25, TRUE, '1980-02-29', '2020-01-02 03:04:05', '06:30:00', 'Ünïcode ✓', X'00FF10', 'AB', 7, 5000000000);
INSERT INTO customers (name, active) VALUES ('Bob', FALSE);
INSERT INTO order_lines VALUES (1, 1, 'tea', 2);
