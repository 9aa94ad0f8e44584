// Placeholder translation unit until the first loopback server lands.
