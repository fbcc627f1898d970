// The translation unit the tests' precompiled headers are made from.
