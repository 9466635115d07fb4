#!/usr/bin/python3
"""Writes the vCards of the contacts tests with python3-vobject (Debian), as an address book
program would: people.vcf (3.0, with a photo) and people-4.vcf (4.0)."""
import base64
import os
import vobject

here = os.path.dirname(os.path.abspath(__file__))


def card(version, first, last, numbers, categories=None, photo=None):
    c = vobject.vCard()
    c.add("version").value = version
    c.add("n").value = vobject.vcard.Name(family=last, given=first)
    c.add("fn").value = (first + " " + last).strip()
    for types, number in numbers:
        tel = c.add("tel")
        tel.value = number
        tel.type_param = types
    if categories:
        c.add("categories").value = categories
    if photo:
        p = c.add("photo")
        p.value = photo
        p.encoding_param = "b"
        p.type_param = "JPEG"
    return c


photo = bytes(range(256)) * 12
cards3 = [
    card("3.0", "Maria", "López", [("HOME", "+44 (0)20 7946 0018"), ("CELL", "07700 900123")],
         ["Altos", "Choir"], photo),
    card("3.0", "Łukasz", "Nowak", [("WORK", "0049 30 1234567")], ["Tenors"]),
    card("3.0", "Nobody", "Numberless", [], ["Altos"]),
]
with open(os.path.join(here, "people.vcf"), "w", newline="") as out:
    for c in cards3:
        out.write(c.serialize())

cards4 = [
    card("4.0", "Zoë", "Martin", [("cell", "tel:+1-555-123-0001")], ["U12 parents"]),
]
with open(os.path.join(here, "people-4.vcf"), "w", newline="") as out:
    for c in cards4:
        out.write(c.serialize())
