# sources of src/tooling
