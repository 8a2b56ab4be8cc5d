// placeholder so the library has a translation unit
