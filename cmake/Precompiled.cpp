// The object file that carries the precompiled header (cmake/Precompile.cmake).
