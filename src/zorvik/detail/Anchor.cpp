// Placeholder translation unit; removed once the library has sources of its own.
