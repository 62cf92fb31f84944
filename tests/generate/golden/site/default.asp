<h1>Shop</h1>
