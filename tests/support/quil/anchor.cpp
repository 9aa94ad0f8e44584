// Placeholder translation unit until the first quil fake lands.
