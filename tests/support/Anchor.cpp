// Placeholder translation unit until the first support helper lands.
