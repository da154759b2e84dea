# Placeholder: the resource script and its files get embedded here.
add_library(zod_embedded_resources INTERFACE)
