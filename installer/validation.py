"""The package's _Validation table: for every column of every table the
package holds, its category or range, the table it refers to and the values
it may take, as Windows Installer's table reference documents them. ICE
validation reads it to check the data (ICE03) and to find the columns that
hold conditions (ICE79); without it both report errors.

Nullable comes from the column's own definition in the package, so the two
cannot disagree."""
import msidb

# Category names Windows Installer's validation knows for text columns.
CATEGORIES = ("Text", "UpperCase", "LowerCase", "Integer", "DoubleInteger", "TimeDate",
              "Identifier", "Property", "Filename", "WildCardFilename", "Path", "Paths",
              "AnyPath", "DefaultDir", "RegPath", "Formatted", "FormattedSDDLText", "Template",
              "Condition", "Guid", "Version", "Language", "Binary", "CustomSource", "Cabinet",
              "Shortcut")

INT16 = (-32767, 32767)
UINT16 = (0, 32767)
INT32 = (-2147483647, 2147483647)
UINT32 = (0, 2147483647)
SEQUENCE_TABLES = ("AdminExecuteSequence", "AdminUISequence", "AdvtExecuteSequence",
                   "InstallExecuteSequence", "InstallUISequence")
LOCATORS = "Signature;RegLocator;IniLocator;DrLocator;CompLocator"


def column(name, category=None, span=None, key=None, values=None, text=""):
    """key: "Table" or "Table;Other" referred to by their first column, or
    ("Table", n) for another column."""
    key_table, key_column = (key, 1) if isinstance(key, str) else (key or (None, None))
    return {"Column": name, "Category": category, "Range": span, "KeyTable": key_table,
            "KeyColumn": key_column, "Set": values, "Description": text}


def sequence_columns():
    return [column("Action", "Identifier", text="The action or dialog to run."),
            column("Condition", "Condition", text="Runs the action only when this is true."),
            column("Sequence", span=(-4, 32767),
                   text="Order of the action; negative numbers for termination actions.")]


SCHEMA = {
    "_Validation": [
        column("Table", "Identifier", text="The table described."),
        column("Column", "Identifier", text="The column described."),
        column("Nullable", values="Y;N", text="Whether the column may be null."),
        column("MinValue", span=INT32, text="Least value of a numeric column."),
        column("MaxValue", span=INT32, text="Greatest value of a numeric column."),
        # Text: a list of tables is no identifier.
        column("KeyTable", "Text", text="Tables a foreign key refers to, separated by "
               "semicolons."),
        column("KeyColumn", span=(1, 32), text="Column a foreign key refers to."),
        column("Category", values=";".join(CATEGORIES), text="Data type of a text column."),
        column("Set", "Text", text="The values the column may take, separated by semicolons."),
        column("Description", "Text", text="What the column holds."),
    ],
    "AppSearch": [
        column("Property", "Identifier", text="Property set to the path found."),
        column("Signature_", "Identifier", key=LOCATORS, text="What to search for."),
    ],
    "Binary": [
        column("Name", "Identifier", text="Key of the binary stream."),
        column("Data", "Binary", text="The stream's contents."),
    ],
    "Component": [
        column("Component", "Identifier", text="Key of the component."),
        column("ComponentId", "Guid", text="The component's code, the same in every version."),
        column("Directory_", "Identifier", key="Directory",
               text="Folder the component's files go to."),
        column("Attributes", span=(0, 65535), text="Component flags."),
        column("Condition", "Condition", text="Installs the component only when this is true."),
        column("KeyPath", "Identifier", key="File;Registry;ODBCDataSource",
               text="The file or registry entry that tells whether the component is installed."),
    ],
    "CreateFolder": [
        column("Directory_", "Identifier", key="Directory", text="Folder to create."),
        column("Component_", "Identifier", key="Component", text="Component that creates it."),
    ],
    "CustomAction": [
        column("Action", "Identifier", text="Key of the custom action."),
        column("Type", span=(1, 32767), text="Kind of action and its options."),
        column("Source", "CustomSource", text="Where the action's code comes from."),
        column("Target", "Formatted", text="What the action runs."),
        column("ExtendedType", span=UINT32, text="Further options."),
    ],
    "Directory": [
        column("Directory", "Identifier", text="Key of the folder; a property names its path."),
        column("Directory_Parent", "Identifier", key="Directory",
               text="The parent folder; null for a root."),
        column("DefaultDir", "DefaultDir", text="The folder's name: short|long, or a root's "
               "property."),
    ],
    "Error": [
        column("Error", span=UINT16, text="Error number."),
        column("Message", "Template", text="Text of the message."),
    ],
    "Feature": [
        column("Feature", "Identifier", text="Key of the feature."),
        column("Feature_Parent", "Identifier", key="Feature", text="Parent feature."),
        column("Title", "Text", text="Short name shown to the user."),
        column("Description", "Text", text="Longer description shown to the user."),
        column("Display", span=UINT16, text="Position and expansion in the feature tree."),
        column("Level", span=UINT16, text="Install level; 0 disables the feature."),
        column("Directory_", "UpperCase", key="Directory",
               text="Folder the user may change for the feature."),
        column("Attributes", span=(0, 65535), text="Feature flags."),
    ],
    "FeatureComponents": [
        column("Feature_", "Identifier", key="Feature", text="The feature."),
        column("Component_", "Identifier", key="Component", text="A component it installs."),
    ],
    "File": [
        column("File", "Identifier", text="Key of the file, also its name in the cabinet."),
        column("Component_", "Identifier", key="Component", text="Component the file is in."),
        column("FileName", "Filename", text="Installed name: short|long."),
        column("FileSize", span=UINT32, text="Size in bytes."),
        column("Version", "Version", key="File",
               text="The file's version from its version resource, or the key of a companion "
               "file; null for an unversioned file."),
        column("Language", "Language", text="Languages of the file's version resource."),
        column("Attributes", span=UINT16, text="File flags."),
        column("Sequence", span=(1, 2147483647), text="Order of the file on the media."),
    ],
    "Icon": [
        column("Name", "Identifier", text="Key of the icon."),
        column("Data", "Binary", text="The icon file."),
    ],
    "LaunchCondition": [
        column("Condition", "Condition", text="Must be true for the installation to run."),
        column("Description", "Formatted", text="Shown when the condition is false."),
    ],
    "Media": [
        column("DiskId", span=(1, 32767), text="Number of the disk."),
        column("LastSequence", span=UINT32, text="Sequence number of the disk's last file."),
        column("DiskPrompt", "Text", text="Name of the disk shown when it is asked for."),
        column("Cabinet", "Cabinet", text="The cabinet; # for one in the package."),
        column("VolumeLabel", "Text", text="Volume label of the disk."),
        column("Source", "Property", text="Source of a patch."),
    ],
    "MsiFileHash": [
        column("File_", "Identifier", key="File", text="An unversioned file."),
        column("Options", span=(0, 0), text="Reserved, 0."),
        column("HashPart1", span=INT32, text="Bytes 0-3 of the file's MD5 hash."),
        column("HashPart2", span=INT32, text="Bytes 4-7 of the file's MD5 hash."),
        column("HashPart3", span=INT32, text="Bytes 8-11 of the file's MD5 hash."),
        column("HashPart4", span=INT32, text="Bytes 12-15 of the file's MD5 hash."),
    ],
    "Property": [
        column("Property", "Identifier", text="Name of the property."),
        column("Value", "Text", text="Its value."),
    ],
    "RegLocator": [
        column("Signature_", "Identifier", text="Key of the search."),
        column("Root", span=(0, 3), text="Predefined registry key."),
        column("Key", "RegPath", text="Key to search."),
        column("Name", "Formatted", text="Value to read."),
        column("Type", span=(0, 18), text="What the search finds."),
    ],
    "Registry": [
        column("Registry", "Identifier", text="Key of the entry."),
        column("Root", span=(-1, 3), text="Predefined registry key."),
        column("Key", "RegPath", text="Registry key."),
        column("Name", "Formatted", text="Value name; null for the default value, * for the "
               "key alone."),
        column("Value", "Formatted", text="The value's data."),
        column("Component_", "Identifier", key="Component", text="Component that writes it."),
    ],
    "RemoveFile": [
        column("FileKey", "Identifier", text="Key of the row."),
        column("Component_", "Identifier", key="Component", text="Component that removes it."),
        column("FileName", "WildCardFilename", text="Files to remove; null for the folder."),
        column("DirProperty", "Identifier", text="Property holding the folder."),
        column("InstallMode", values="1;2;3", text="1 on install, 2 on uninstall, 3 on both."),
    ],
    "ServiceControl": [
        column("ServiceControl", "Identifier", text="Key of the row."),
        column("Name", "Formatted", text="Name of the service."),
        column("Event", span=(0, 187), text="What to do with it when."),
        column("Arguments", "Formatted", text="Arguments to start it with."),
        column("Wait", span=(0, 1), text="Whether to wait for it."),
        column("Component_", "Identifier", key="Component", text="Component it belongs to."),
    ],
    "ServiceInstall": [
        column("ServiceInstall", "Identifier", text="Key of the row."),
        column("Name", "Formatted", text="Name of the service."),
        column("DisplayName", "Formatted", text="Name shown for it."),
        column("ServiceType", span=INT32, text="Kind of service."),
        column("StartType", span=(0, 4), text="When it starts."),
        column("ErrorControl", span=INT32, text="What a failure to start does."),
        column("LoadOrderGroup", "Formatted", text="Load ordering group."),
        column("Dependencies", "Formatted", text="Services it needs."),
        column("StartName", "Formatted", text="Account it runs as."),
        column("Password", "Formatted", text="The account's password."),
        column("Arguments", "Formatted", text="Command-line arguments."),
        column("Component_", "Identifier", key="Component", text="Component it belongs to."),
        column("Description", "Text", text="Description of the service."),
    ],
    "Shortcut": [
        column("Shortcut", "Identifier", text="Key of the shortcut."),
        column("Directory_", "Identifier", key="Directory", text="Folder it goes in."),
        column("Name", "Filename", text="Its name."),
        column("Component_", "Identifier", key="Component", text="Component it belongs to."),
        column("Target", "Shortcut", text="Feature or formatted path it starts."),
        column("Arguments", "Formatted", text="Command-line arguments."),
        column("Description", "Text", text="Its tooltip."),
        column("Hotkey", span=UINT16, text="Its hot key."),
        column("Icon_", "Identifier", key="Icon", text="Its icon."),
        column("IconIndex", span=INT16, text="Index of the icon in the file."),
        column("ShowCmd", values="1;3;7", text="How the window opens."),
        column("WkDir", "Identifier", text="Property holding the working folder."),
        column("DisplayResourceDLL", "Formatted", text="Library holding its display name."),
        column("DisplayResourceId", span=UINT16, text="Resource of the display name."),
        column("DescriptionResourceDLL", "Formatted", text="Library holding its description."),
        column("DescriptionResourceId", span=UINT16, text="Resource of the description."),
    ],
    "Signature": [
        column("Signature", "Identifier", text="Key of the file signature."),
        column("FileName", "Filename", text="Name of the file."),
        column("MinVersion", "Text", text="Least version."),
        column("MaxVersion", "Text", text="Greatest version."),
        column("MinSize", span=UINT32, text="Least size."),
        column("MaxSize", span=UINT32, text="Greatest size."),
        column("MinDate", span=UINT32, text="Earliest date."),
        column("MaxDate", span=UINT32, text="Latest date."),
        column("Languages", "Language", text="Languages the file must have."),
    ],
    "Upgrade": [
        column("UpgradeCode", "Guid", text="Upgrade code of the products looked for."),
        column("VersionMin", "Text", text="Least version of the range."),
        column("VersionMax", "Text", text="Greatest version of the range."),
        column("Language", "Language", text="Languages of the products looked for."),
        column("Attributes", span=UINT32, text="Upgrade flags."),
        column("Remove", "Formatted", text="Features to remove; null for all."),
        column("ActionProperty", "UpperCase", text="Property set to the products found."),
    ],
}
for _name in SEQUENCE_TABLES:
    SCHEMA[_name] = sequence_columns()


def table(tables):
    """The _Validation table for `tables` (name to msidb.Table), describing
    itself too. Refers only to tables the package has: a KeyTable naming a
    missing table is itself a validation error."""
    result = msidb.Table("_Validation",
                         ["Table", "Column", "Nullable", "MinValue", "MaxValue", "KeyTable",
                          "KeyColumn", "Category", "Set", "Description"],
                         ["s32", "s32", "s4", "I4", "I4", "S255", "I2", "S32", "S255", "S255"],
                         ["Table", "Column"], [])
    described = dict(tables, _Validation=result)
    missing = []
    for name, described_table in sorted(described.items()):
        known = {c["Column"]: c for c in SCHEMA.get(name, [])}
        for name_of_column in described_table.columns:
            column = known.get(name_of_column)
            if column is None:
                missing.append("%s.%s" % (name, name_of_column))
                continue
            keys = None
            if column["KeyTable"]:
                keys = ";".join(t for t in column["KeyTable"].split(";") if t in described) or None
            low, high = column["Range"] or (None, None)
            # Every text column has a category; Text where only a set limits it.
            category = column["Category"]
            if category is None and described_table.kind(name_of_column) == "s":
                category = "Text"
            result.rows.append({"Table": name, "Column": name_of_column,
                                "Nullable": "Y" if described_table.nullable(name_of_column)
                                else "N",
                                "MinValue": "" if low is None else str(low),
                                "MaxValue": "" if high is None else str(high),
                                "KeyTable": keys or "",
                                "KeyColumn": str(column["KeyColumn"]) if keys else "",
                                "Category": category or "", "Set": column["Set"] or "",
                                "Description": column["Description"]})
    if missing:
        raise SystemExit("validation: no description for " + ", ".join(missing))
    return result
