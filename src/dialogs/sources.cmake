# sources of src/dialogs
