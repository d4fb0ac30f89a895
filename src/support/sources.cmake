# sources of src/support
